// Identifiers of the component's dialog templates and their controls.
#pragma once

#define IDD_PLAYBACK_STATE 101
#define IDD_DSP 103
#define IDD_MYPREFERENCES 102
#define IDD_LIST_DEMO 120
#define IDD_THREADS_DEMO 105
#define IDD_DIALOG_ELEMENT 106

#define IDC_STATIC -1
#define IDC_BOGO1 1001
#define IDC_BOGO2 1002
#define IDC_LOOP_MODULES 1003
// The playback state dialog's; its buttons are sample/commands/playback_state.h's.
#define IDC_PLAYBACK_PATTERN 1002
#define IDC_PLAYBACK_STATE 1003
#define IDC_PLAYBACK_CONTEXT_AREA 1010
#define IDC_SLIDER 1012
#define IDC_SLIDER_LABEL 1013
#define IDC_LOCK_MIN_WIDTH 1014
#define IDC_LOCK_MIN_HEIGHT 1015
#define IDC_LOCK_MAX_WIDTH 1016
#define IDC_LOCK_MAX_HEIGHT 1017
#define IDC_ELEMENT_SIZE 1018
#define IDC_DEMO_LIST 1019
#define IDC_DEMO_HEADER 1020
#define IDC_LIST_DEMO_LIST 1200
#define IDC_LIST_DEMO_STATUS 1201
