#include "controllers/ControllerRegistry.h"

#include <string>

namespace {
const char kItems[] = "Items";
}  // namespace

TCRegistry::TCRegistry() { Load(); }

TCRegistry::~TCRegistry() { Store(); }

void TCRegistry::Store() {
    if (stored_) return;
    stored_ = true;
    Save();
}

void TCRegistry::Load() {
    for (int n = 0; n < ItemCount; ++n) {
        std::string number = std::to_string(n);
        Items[n].Width = ReadInteger(kItems, number + "width", 0);
        Items[n].Visible = ReadBool(kItems, number + "visible", n < 5);
    }
}

void TCRegistry::Save() {
    for (int n = 0; n < ItemCount; ++n) {
        std::string number = std::to_string(n);
        WriteInteger(kItems, number + "width", Items[n].Width);
        WriteBool(kItems, number + "visible", Items[n].Visible);
    }
}
