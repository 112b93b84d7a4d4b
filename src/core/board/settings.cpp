#include "board/settings.h"

Settings gSettings;
