#include "sort_key.h"
