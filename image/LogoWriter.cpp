#include "LogoWriter.h"
