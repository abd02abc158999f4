#pragma once
// The first pass over the clip: takes the sampler's pictures, leaves out deleted frames, prepares
// each new source frame once (overlays, turn, pack), tracks scenes and writes the frames to the
// spill, until the clip ends or a forward order has all the frames it can show.

#include "engine/ConversionStage.h"

class TFrameSampler;

[[nodiscard]] TStop PrepareFrames(const TConversionContext& context, TFrameSampler& sampler,
                                  TPreparedFrames& frames);
