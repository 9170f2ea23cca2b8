#include "common/model_table.h"

Kv6Model *model_table[MODEL_SLOT_COUNT];
