#pragma once

#include "ApplicationBundle.h"
#include "CompressionService.h"

#include <memory>

// The one configuration of the pipeline: JPEG quality 0.75 in the chain and both JPEG
// encoders, pngquant quality 60-80, tools looked for in the given bundle only.
std::unique_ptr<CompressionService> makeStandardCompressionService(const ApplicationBundle &bundle = ApplicationBundle::main());
