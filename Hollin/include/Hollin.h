#pragma once
// The public interface of libHollin, the device access layer.
#include "CTChar.h"
#include "Hollin/DevFamily.h"
#include "Hollin/DevInfo.h"
#include "Hollin/Factories.h"
#include "Hollin/Global.h"
#include "Hollin/Interfaces.h"
#include "Hollin/Records.h"
#include "Hollin/Notices.h"
