// The layout as JSON, for engines that read JSON rather than the index file.
#pragma once

#include <string>

#include "atlas_result.h"

std::string jsonEscape(const std::string& text);
std::string layoutJson(const AtlasResult& result);
