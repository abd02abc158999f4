#pragma once
// The project model: the persistent output settings (TVGConfig) and the project with its frames.

#include "project/VGConfig.h"
#include "project/VGProject.h"
