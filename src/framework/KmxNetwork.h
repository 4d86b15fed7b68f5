// Facts about the machine on the network: its name.
#pragma once

#include <string>

// The computer's NetBIOS name; empty when the system does not give it.
std::string ComputerNameText();
