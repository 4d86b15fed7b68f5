// The shared instance table: the process ids of the running instances of one
// executable, in a 1032-byte block that every instance maps. The caller holds
// the instance lock around every operation.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::uint16_t InstanceTableSlots = 257;

// Packed, little-endian; the natural layout already has no padding.
struct InstanceTable {
    std::uint16_t MaxInstances;  // 0 until the first instance registers
    std::uint16_t Count;
    std::uint32_t ProcessIds[InstanceTableSlots];
};
static_assert(sizeof(InstanceTable) == 1032, "the table is shared with other builds");
static_assert(offsetof(InstanceTable, Count) == 2, "the table is shared with other builds");
static_assert(offsetof(InstanceTable, ProcessIds) == 4, "the table is shared with other builds");

// Count as far as the table can hold it: a damaged Count above 257 reads 257.
std::uint16_t InstanceCount(const InstanceTable& table);

// Sets MaxInstances when it is still 0 and appends processId. True when the
// instances registered before stay below the limit; an instance over the
// limit is appended all the same. A full table refuses and appends nothing.
bool RegisterInstanceId(InstanceTable& table, std::uint16_t maxInstances, std::uint32_t processId);

// Removes the first slot holding processId, moving the later ones down in
// order. False when it is not in the table.
bool RemoveInstanceId(InstanceTable& table, std::uint32_t processId);

// The id in slot index, or 0 when index is negative or not below the count.
std::uint32_t InstanceIdAt(const InstanceTable& table, std::int32_t index);
