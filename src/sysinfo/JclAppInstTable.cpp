#include "sysinfo/JclAppInstTable.h"

std::uint16_t InstanceCount(const InstanceTable& table) {
    return table.Count > InstanceTableSlots ? InstanceTableSlots : table.Count;
}

bool RegisterInstanceId(InstanceTable& table, std::uint16_t maxInstances, std::uint32_t processId) {
    if (table.MaxInstances == 0) table.MaxInstances = maxInstances;
    std::uint16_t count = InstanceCount(table);
    if (count == InstanceTableSlots) return false;
    bool withinLimit = count < table.MaxInstances;
    table.ProcessIds[count] = processId;
    table.Count = static_cast<std::uint16_t>(count + 1);
    return withinLimit;
}

bool RemoveInstanceId(InstanceTable& table, std::uint32_t processId) {
    std::uint16_t count = InstanceCount(table);
    for (std::uint16_t i = 0; i < count; ++i) {
        if (table.ProcessIds[i] != processId) continue;
        for (std::uint16_t j = i; j + 1 < count; ++j) table.ProcessIds[j] = table.ProcessIds[j + 1];
        table.ProcessIds[count - 1] = 0;
        table.Count = static_cast<std::uint16_t>(count - 1);
        return true;
    }
    return false;
}

std::uint32_t InstanceIdAt(const InstanceTable& table, std::int32_t index) {
    if (index < 0 || index >= InstanceCount(table)) return 0;
    return table.ProcessIds[index];
}
