// The menu tests' shared pieces live with the control tests'.
#pragma once
#include "ui/ControlTestSupport.h"
