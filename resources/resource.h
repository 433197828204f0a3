// Identifiers of the component's dialog templates and their controls.
#pragma once

#define IDD_DSP 101
#define IDD_MYPREFERENCES 102
#define IDD_LIST_DEMO 120
#define IDD_THREADS_DEMO 105

#define IDC_STATIC -1
#define IDC_BOGO1 1001
#define IDC_BOGO2 1002
#define IDC_LOOP_MODULES 1003
#define IDC_SLIDER 1012
#define IDC_SLIDER_LABEL 1013
#define IDC_DEMO_LIST 1019
#define IDC_DEMO_HEADER 1020
#define IDC_LIST_DEMO_LIST 1200
#define IDC_LIST_DEMO_STATUS 1201
