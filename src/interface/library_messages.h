// The texts of the library's messages to its callbacks. A message about one
// texture or group is one of these prefixes and its name; a host that
// explains the library's messages (the command-line tool) includes this
// header, so that the two cannot drift apart.
#pragma once

namespace textureatlas::messages {

inline constexpr char kCouldNotSetGroup[] = "Could not set group: ";        // + group name
inline constexpr char kFailedToLoadTexture[] = "Failed to load texture: ";  // + texture name: header unreadable
inline constexpr char kTextureTooLarge[] = "Texture size larger than maximum atlas size: ";  // + texture name
inline constexpr char kCouldNotLoadTexture[] = "Could not load texture: ";  // + texture path: pixels unreadable
inline constexpr char kCouldNotCreatePage[] = "Could not create atlasTexture for group ";  // + page name
inline constexpr char kErrorSavingTexture[] = "Error saving texture \"";                   // + page path + "\""
inline constexpr char kUnknownTextureFlag[] = "Unknown texture flag '";                    // + flag + "'"
inline constexpr char kExpectedGroupName[] = "Expected group name.";
inline constexpr char kNoGroupSpecified[] = "No group specified. Using 'default'.";

}  // namespace textureatlas::messages
