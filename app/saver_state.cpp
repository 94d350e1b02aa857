#include "app/saver_state.h"

SaverState saverState;
