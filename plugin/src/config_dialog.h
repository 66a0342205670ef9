// What the configuration dialog shows beside its resources: which string explains which
// control, in the order the tips are registered.
#pragma once
#include "resource.h"

struct ControlTip {
  int Control;
  int String;
};
inline constexpr ControlTip ControlTips[] = {
    {IDC_LOCK_ACTION, IDS_TIP_LOCK_ACTION},
    {IDC_LOCK_RESUME, IDS_TIP_LOCK_RESUME},
    {IDC_LOCK_TIMEOUT, IDS_TIP_LOCK_TIMEOUT},
    {IDC_LOCK_ARROWS, IDS_TIP_LOCK_TIMEOUT},
    {IDC_SAVER_ACTION, IDS_TIP_SAVER_ACTION},
    {IDC_SAVER_RESUME, IDS_TIP_SAVER_RESUME},
    {IDC_SAVER_TIMEOUT, IDS_TIP_SAVER_TIMEOUT},
    {IDC_SAVER_ARROWS, IDS_TIP_SAVER_TIMEOUT},
    {IDC_STANDBY_ACTION, IDS_TIP_STANDBY_ACTION},
    {IDC_UPDATE_CHECK, IDS_TIP_UPDATE_CHECK},
    {IDC_SAVER_DISPLAY_OFF, IDS_TIP_SAVER_DISPLAY_OFF},
};
