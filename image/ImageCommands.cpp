#include "ImageCommands.h"
