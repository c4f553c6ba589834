#include "IdCardReader.h"
