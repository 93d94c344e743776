#include "ImageCodecs.h"
