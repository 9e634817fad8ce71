// The user's preferences: the keys in the user defaults, their types and
// defaults, and their registration at launch. Read and write them with the
// accessors below (or platform::UserDefaults); none of them synchronises.
//
// | key                        | type   | default  |
// | "UploadQuality"            | string | "Large"  | "Small", "Middle", "Large" or "Custom"
// | "UploadCustomSize"         | int    | 800      | pixels, when "UploadQuality" is "Custom"
// | "SaveQuality"              | string | "Middle" | as "UploadQuality", for the photo album
// | "SaveCustomQuality"        | int    | 1024     | pixels, when "SaveQuality" is "Custom"
// | "AutoSaveInCamera"         | bool   | false    | camera photos (a pair's left shot) go to the album
// | "AutoSaveInCameraWithWIFI" | bool   | false    | registered only
// | "InitialEditMode"          | string | "None"   | "None" (ask), "Watershed" or "Free"
// | "GuideMessage"             | bool   | true     | registered only
// | "SoundEffects"             | bool   | true     | registered only
// | "AppStoreRatedKey"         | bool   | false    | the user agreed to rate the product
// | "ShowTwoShotHelp"          | bool   | true     | one show-help flag per help popup
// | "ShowCalibHelp"            | bool   | true     |
// | "ShowPaintingHelp"         | bool   | true     |
// | "ShowStrokingHelp"         | bool   | true     |
//
// The photo album's folder ("PhotoAlbumFolder", platform/PhotoAlbum.h) is a
// key of this platform, not registered here: without it the album is the
// user's pictures folder.
#pragma once

#include <QString>
#include <QVariantMap>

namespace prefs {

inline constexpr char kUploadQuality[] = "UploadQuality";
inline constexpr char kUploadCustomSize[] = "UploadCustomSize";
inline constexpr char kSaveQuality[] = "SaveQuality";
inline constexpr char kSaveCustomQuality[] = "SaveCustomQuality";
inline constexpr char kAutoSaveInCamera[] = "AutoSaveInCamera";
inline constexpr char kAutoSaveInCameraWithWIFI[] = "AutoSaveInCameraWithWIFI";
inline constexpr char kInitialEditMode[] = "InitialEditMode";
inline constexpr char kGuideMessage[] = "GuideMessage";
inline constexpr char kSoundEffects[] = "SoundEffects";
inline constexpr char kAppStoreRatedKey[] = "AppStoreRatedKey";
inline constexpr char kShowTwoShotHelp[] = "ShowTwoShotHelp";
inline constexpr char kShowCalibHelp[] = "ShowCalibHelp";
inline constexpr char kShowPaintingHelp[] = "ShowPaintingHelp";
inline constexpr char kShowStrokingHelp[] = "ShowStrokingHelp";

// Values of the size classes and of the edit mode.
inline constexpr char kSizeSmall[] = "Small";
inline constexpr char kSizeMiddle[] = "Middle";
inline constexpr char kSizeLarge[] = "Large";
inline constexpr char kSizeCustom[] = "Custom";
inline constexpr char kEditModeNone[] = "None";
inline constexpr char kEditModeWatershed[] = "Watershed";
inline constexpr char kEditModeFree[] = "Free";

// The fourteen keys with their defaults (ints as int, bools as bool,
// strings as QString).
QVariantMap preferenceDefaults();

// Stores the default of every key that has no value yet, then synchronises.
// Values already stored are never overwritten. Called once at launch,
// before any screen reads a key.
void registerPreferenceDefaults();

bool boolForKey(const char* key);
int integerForKey(const char* key);
QString stringForKey(const char* key);
void setBool(const char* key, bool value);
void setInteger(const char* key, int value);
void setString(const char* key, const QString& value);

} // namespace prefs
