#include "link/SerialControl.h"
