#include "CompressionResultListModel.h"
