#include "AccessFile.h"
