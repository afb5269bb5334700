#include "SerialControl.h"
