#include "CompressionViewModel.h"
