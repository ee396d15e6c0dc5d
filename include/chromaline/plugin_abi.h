// The binary interface between a host viewer and the Chromaline plug-in.
// A host includes this header (and host_bitmap.h on platforms without GDI)
// and nothing else of the plug-in.
//
// The plug-in exports one function. In the 32-bit Windows build it is
// stdcall and exported as "_zorPlugInMsgHandler@12"; elsewhere it is a plain
// C function named "zorPlugInMsgHandler".
#ifndef CHROMALINE_PLUGIN_ABI_H_
#define CHROMALINE_PLUGIN_ABI_H_

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define CHROMALINE_STDCALL __stdcall
#else
#define CHROMALINE_STDCALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The host's function, handed over with message 3: (code, p, a).
typedef int32_t(CHROMALINE_STDCALL* HostCallback)(uint32_t code, void* p, uintptr_t a);

// The plug-in's entry point: (message code, p, a).
typedef int32_t(CHROMALINE_STDCALL* PluginMsgHandler)(uint32_t type, void* p, uint32_t a);

// Message codes the host sends (the type of PluginMsgHandler). Any other
// code is answered with 0.
enum {
  kMessageInterfaceVersion = 1,  // answered with 256
  kMessageVersionText = 2,       // p: text buffer of at least 27 bytes
  kMessageSetCallback = 3,       // p: the HostCallback
  kMessageGlobalDialog = 5,      // p: parent window; 1 when confirmed with OK
  kMessageSaveSettings = 6,
  kMessageLoadSettings = 7,
  kMessageQueryDirty = 8,
  kMessageImageShown = 13,    // p: the picture's path, a: its window
  kMessageFilterImage = 14,   // p: the picture's path, a: the host's image id
  kMessageHotkey = 22,        // p: virtual-key code, a: the window it was pressed in
  kMessageQuery27 = 27,       // answered with 1
  kMessageCapabilities = 28,  // p: selector 0, 1 or 2
  kMessageQuery29 = 29,       // answered with 1
  kMessageLocalDialog = 30,   // p: path of a picture or folder, a: parent window
  kMessageEnable = 40         // p: nonzero to set Enabled to a; answers Enabled + 1
};

// Callback codes the plug-in sends.
enum {
  kHostWriteSetting = 5,  // p: HostSettingRecord* (value filled in)
  kHostReadSetting = 6,   // p: HostSettingRecord* (host writes value)
  kHostGetBitmap = 8,     // p: image id, a: pointer to a handle-sized slot
  kHostNotify = 9,        // p: 19, 21 or 20
  kHostStopQuery = 13,    // p: 0, a: 0; nonzero answer stops a blur
  kHostGetRegion = 14     // p: image id, a: ImageRegion* (zeroed)
};

// Notifications sent with kHostNotify around the hotkey dialog.
enum { kNotifyDialogOpening = 19, kNotifyDialogClosed = 20, kNotifySettingsWritten = 21 };

enum { kSettingInt = 1, kSettingDouble = 2 };

// The record carried by callback codes 5 and 6. In the 32-bit build the
// pointers are 4 bytes wide and the record is exactly 40 bytes:
//   0 section, 4 key, 8 type, 12 reserved, 16 value, 24 default, 32 reserved.
// In a 64-bit build the two pointers take 8 bytes each and every later
// field moves by 8. An integer value occupies the first 4 bytes of its
// 8-byte slot (little-endian), the rest zero; a real occupies all 8.
typedef struct HostSettingRecord {
  const char* section;
  const char* key;
  int32_t type;
  int32_t reserved0;
  unsigned char value[8];
  unsigned char default_value[8];
  unsigned char reserved1[8];
} HostSettingRecord;

// The rectangle of callback code 14: picture pixels, rows from the top,
// right and bottom exclusive. All zeros means the whole picture.
typedef struct ImageRegion {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
} ImageRegion;

#ifdef __cplusplus
}  // extern "C"
static_assert(sizeof(HostSettingRecord) == 32 + 2 * sizeof(void*), "record layout");
static_assert(offsetof(HostSettingRecord, value) == 8 + 2 * sizeof(void*), "record layout");
static_assert(sizeof(ImageRegion) == 16, "region layout");
#endif

#endif  // CHROMALINE_PLUGIN_ABI_H_
