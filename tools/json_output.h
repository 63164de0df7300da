// The layout as JSON, for engines that read JSON rather than the index file.
#pragma once

#include "atlas_result.h"

#include <string>

std::string jsonEscape(const std::string& text);
bool writeLayoutJson(const AtlasResult& result, const std::string& path, std::string& error);
