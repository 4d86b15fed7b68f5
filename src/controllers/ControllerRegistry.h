// The program's settings store: visibility and width of the seven process-list
// columns, read at construction and written at destruction.
#pragma once

#include "framework/KmxControllerCustomRegistry.h"

#include <cstdint>

struct TItemSetting {
    bool Visible;
    std::int32_t Width;
};

class TCRegistry final : public TCCustomRegistry {
public:
    // Column indexes: 0 icon, 1 process, 2 company, 3 description, 4 path and
    // file name, 5 version, 6 process id.
    static constexpr int ItemCount = 7;

    // Opens the application key and loads Items.
    TCRegistry();
    // Writes all fourteen "Items" values, even when unchanged (when Store
    // has not written them).
    ~TCRegistry() override;
    // Writes them now, once: later calls and the destruction write nothing.
    void Store();

    // The column layout reads and changes these in memory while the program runs.
    TItemSetting Items[ItemCount] = {{true, 0},  {true, 0},  {true, 0}, {true, 0},
                                     {true, 0},  {false, 0}, {false, 0}};

protected:
    void Load() override;
    void Save() override;

private:
    bool stored_ = false;
};
