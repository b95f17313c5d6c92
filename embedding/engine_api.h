/* The C interface of the UI engine library: every function the host calls,
 * the handles it passes around and the records and callbacks they use.
 *
 * Handles are pointers to opaque structs that only the engine library
 * defines. Paths are wide (UTF-16) strings, channel names and entry-point
 * arguments NUL-terminated UTF-8. The engine calls every callback on the
 * thread that runs the window's message loop.
 *
 * The header is plain C and includes no Windows header, so the portable
 * messenger can use it; the two Windows handle types appear as the struct
 * pointers that <windows.h> gives HWND and HMONITOR.
 *
 * Linking: the engine library defines KEELHAVEN_ENGINE_IMPLEMENTATION and
 * exports the functions. Windows code that links the library imports them.
 * Code that must also link against a fake of these functions (the portable
 * messenger and its tests) defines KEELHAVEN_ENGINE_NO_DLLIMPORT: its calls
 * then go through the import library's stubs, which a fake defined in the
 * same program can stand in for. */
#ifndef KEELHAVEN_EMBEDDING_ENGINE_API_H_
#define KEELHAVEN_EMBEDDING_ENGINE_API_H_

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32) && defined(KEELHAVEN_ENGINE_IMPLEMENTATION)
#define KEELHAVEN_ENGINE_API __declspec(dllexport)
#elif defined(_WIN32) && !defined(KEELHAVEN_ENGINE_NO_DLLIMPORT)
#define KEELHAVEN_ENGINE_API __declspec(dllimport)
#else
#define KEELHAVEN_ENGINE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The same struct types as <windows.h> uses for HWND and HMONITOR. */
struct HWND__;
struct HMONITOR__;

typedef struct FlutterDesktopEngine* FlutterDesktopEngineRef;
typedef struct FlutterDesktopViewController* FlutterDesktopViewControllerRef;
typedef struct FlutterDesktopView* FlutterDesktopViewRef;
typedef struct FlutterDesktopMessenger* FlutterDesktopMessengerRef;
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;

/* Identifies one incoming message for its reply. Owned by the engine; valid
 * until it has been answered or the messenger is released for good. */
typedef struct FlutterDesktopMessageResponseHandle
    FlutterDesktopMessageResponseHandle;

/* What the engine runs. The record and everything it points at are read
 * during FlutterDesktopEngineCreate only. */
typedef struct {
  const wchar_t* assets_path;
  const wchar_t* icu_data_path;
  const wchar_t* aot_library_path;
  /* Never null; an empty string selects the default entry point. */
  const char* dart_entrypoint;
  int dart_entrypoint_argc;
  /* dart_entrypoint_argc pointers, in order; null when there are none. */
  const char** dart_entrypoint_argv;
  /* Two settings whose meaning is the engine library's; 0 is the default. */
  int32_t engine_option_1;
  int32_t engine_option_2;
} FlutterDesktopEngineProperties;

/* One message that arrived on a channel. */
typedef struct {
  /* sizeof(FlutterDesktopMessage) as the engine library was built. */
  size_t struct_size;
  /* The channel the message arrived on. */
  const char* channel;
  /* message_size bytes; null when the message is empty. */
  const uint8_t* message;
  size_t message_size;
  /* Answer with FlutterDesktopMessengerSendResponse, at most once. */
  const FlutterDesktopMessageResponseHandle* response_handle;
} FlutterDesktopMessage;

/* A message on a channel that has a callback registered. */
typedef void (*FlutterDesktopMessageCallback)(
    FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message,
    void* user_data);

/* The reply to a message sent with FlutterDesktopMessengerSendWithReply;
 * data is null for an empty reply. Called once per accepted message. */
typedef void (*FlutterDesktopBinaryReply)(const uint8_t* data, size_t data_size,
                                          void* user_data);

/* Called once per registration, after the engine's next frame. */
typedef void (*FlutterDesktopOnNextFrameCallback)(void* user_data);

/* Engine. */

/* Returns null when the engine can't be created. */
KEELHAVEN_ENGINE_API FlutterDesktopEngineRef
FlutterDesktopEngineCreate(const FlutterDesktopEngineProperties* properties);

/* Shuts the engine down. Only for an engine that no view controller owns;
 * returns false when the engine was not destroyed. */
KEELHAVEN_ENGINE_API bool FlutterDesktopEngineDestroy(
    FlutterDesktopEngineRef engine);

/* The engine's messenger; valid while the engine lives, or longer while a
 * reference taken with FlutterDesktopMessengerAddRef is held. */
KEELHAVEN_ENGINE_API FlutterDesktopMessengerRef
FlutterDesktopEngineGetMessenger(FlutterDesktopEngineRef engine);

KEELHAVEN_ENGINE_API FlutterDesktopPluginRegistrarRef
FlutterDesktopEngineGetPluginRegistrar(FlutterDesktopEngineRef engine,
                                       const char* plugin_name);

/* Arranges one call of callback(user_data) after the next frame, from the
 * message loop; never from inside this call. */
KEELHAVEN_ENGINE_API void FlutterDesktopEngineSetNextFrameCallback(
    FlutterDesktopEngineRef engine, FlutterDesktopOnNextFrameCallback callback,
    void* user_data);

/* View controller and view. */

/* Creates a view of width x height physical pixels on the engine. On
 * success the controller owns the engine; on failure (null) it does not. */
KEELHAVEN_ENGINE_API FlutterDesktopViewControllerRef
FlutterDesktopViewControllerCreate(int width, int height,
                                   FlutterDesktopEngineRef engine);

/* Releases the view and the engine the controller owns. */
KEELHAVEN_ENGINE_API void FlutterDesktopViewControllerDestroy(
    FlutterDesktopViewControllerRef controller);

KEELHAVEN_ENGINE_API FlutterDesktopViewRef
FlutterDesktopViewControllerGetView(FlutterDesktopViewControllerRef controller);

/* Schedules a new frame. */
KEELHAVEN_ENGINE_API void FlutterDesktopViewControllerForceRedraw(
    FlutterDesktopViewControllerRef controller);

/* The view's child window, for the host to place in its own window. */
KEELHAVEN_ENGINE_API struct HWND__* FlutterDesktopViewGetHWND(
    FlutterDesktopViewRef view);

/* Messenger. */

/* Fire-and-forget; returns whether the message was accepted. */
KEELHAVEN_ENGINE_API bool FlutterDesktopMessengerSend(
    FlutterDesktopMessengerRef messenger, const char* channel,
    const uint8_t* message, size_t message_size);

/* Returns true when the message was queued: reply(..., user_data) will then be
 * called once. On false it never is, and the caller frees user_data. */
KEELHAVEN_ENGINE_API bool FlutterDesktopMessengerSendWithReply(
    FlutterDesktopMessengerRef messenger, const char* channel,
    const uint8_t* message, size_t message_size,
    FlutterDesktopBinaryReply reply, void* user_data);

/* Answers an incoming message; each handle is answered at most once. */
KEELHAVEN_ENGINE_API void FlutterDesktopMessengerSendResponse(
    FlutterDesktopMessengerRef messenger,
    const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
    size_t data_size);

/* Routes the channel's messages to callback(..., user_data); a null callback
 * removes the channel's routing. */
KEELHAVEN_ENGINE_API void FlutterDesktopMessengerSetCallback(
    FlutterDesktopMessengerRef messenger, const char* channel,
    FlutterDesktopMessageCallback callback, void* user_data);

/* Takes one reference; returns the messenger. */
KEELHAVEN_ENGINE_API FlutterDesktopMessengerRef
FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger);

/* Gives back one reference taken with FlutterDesktopMessengerAddRef. */
KEELHAVEN_ENGINE_API void FlutterDesktopMessengerRelease(
    FlutterDesktopMessengerRef messenger);

/* False once the engine has shut down. Ask under the lock. */
KEELHAVEN_ENGINE_API bool FlutterDesktopMessengerIsAvailable(
    FlutterDesktopMessengerRef messenger);

/* Holds off engine shutdown until the matching unlock. Returns the messenger
 * to pass to FlutterDesktopMessengerUnlock, or null when it was not locked. */
KEELHAVEN_ENGINE_API FlutterDesktopMessengerRef
FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger);

KEELHAVEN_ENGINE_API void FlutterDesktopMessengerUnlock(
    FlutterDesktopMessengerRef messenger);

/* Process. */

/* The monitor's DPI; 96 is 100 %. */
KEELHAVEN_ENGINE_API uint32_t
FlutterDesktopGetDpiForMonitor(struct HMONITOR__* monitor);

/* Makes the engine's own output follow newly attached standard streams. */
KEELHAVEN_ENGINE_API void FlutterDesktopResyncOutputStreams(void);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif /* KEELHAVEN_EMBEDDING_ENGINE_API_H_ */
