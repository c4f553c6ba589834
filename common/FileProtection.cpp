#include "FileProtection.h"
