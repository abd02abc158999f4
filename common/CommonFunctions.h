#pragma once
// The helper library in one include.

#include "common/Bitmaps.h"
#include "common/Folders.h"
#include "common/Geometry.h"
#include "common/Guid.h"
#include "common/InstanceChannel.h"
#include "common/Log.h"
#include "common/Messages.h"
#include "common/MsgBox.h"
#include "common/NamedLock.h"
#include "common/Registry.h"
#include "common/SysInfo.h"
