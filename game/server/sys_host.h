// The host services live in the shared core; the server's modules include them by this name.
#pragma once
#include "common/sys_host.h"
