// Resource ids shared by the program's resource script and its code.
#pragma once

#define IDI_MAINICON 1
#define IDR_ABOUTPICTURE 100
#define IDS_SYSTEM_IDLE_PROCESS 1001
#define IDS_SYSTEM_PROCESS 1002
