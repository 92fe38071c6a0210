// Resource ids of the stratum-selection module.
#pragma once

#define IDD_STRATUM_NAME 12000
#define IDC_BUTTON_CONNECT 12000
#define IDC_LIST_NAMES 12001
