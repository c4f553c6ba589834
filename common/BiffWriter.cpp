#include "BiffWriter.h"
