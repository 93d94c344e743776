#include "SourceImage.h"
