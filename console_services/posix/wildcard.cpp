#include "wildcard.h"
