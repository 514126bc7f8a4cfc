// Window tags: flags and small integers kept on windows, widgets and screens
// as object data, and the keys they live under.
#ifndef RUNNER_PRESENTATION_WINDOW_TAGS_H_
#define RUNNER_PRESENTATION_WINDOW_TAGS_H_

#include <glib-object.h>

inline constexpr char kWindowPendingActivateAfterInitialFrameKey[] =
    "tarn-glass-linux-window-pending-activate-after-initial-frame";
inline constexpr char kWindowTransientKeepAboveReleaseScheduledKey[] =
    "tarn-glass-linux-window-transient-keep-above-release-scheduled";
inline constexpr char kFlutterViewBackgroundStyleInstalledKey[] =
    "tarn-glass-linux-flutter-view-background-style-installed";
inline constexpr char kFlutterViewBackgroundApplyScheduledKey[] =
    "tarn-glass-linux-flutter-view-background-apply-scheduled";
inline constexpr char kWindowFirstFrameStabilizerConnectedKey[] =
    "tarn-glass-linux-window-first-frame-stabilizer-connected";
inline constexpr char kWindowInitialFrameReadyKey[] =
    "tarn-glass-linux-window-initial-frame-ready";
inline constexpr char kWindowInitialFrameRevealDeferredKey[] =
    "tarn-glass-linux-window-initial-frame-reveal-deferred";
inline constexpr char kWindowInitialFrameRevealFallbackScheduledKey[] =
    "tarn-glass-linux-window-initial-frame-reveal-fallback-scheduled";
inline constexpr char kInitialFrameStabilizedKey[] =
    "tarn-glass-linux-initial-frame-stabilized";
inline constexpr char kChildWindowPreferredWidthKey[] =
    "tarn-glass-linux-child-window-preferred-width";
inline constexpr char kChildWindowPreferredHeightKey[] =
    "tarn-glass-linux-child-window-preferred-height";
inline constexpr char kChildWindowMinWidthKey[] =
    "tarn-glass-linux-child-window-min-width";
inline constexpr char kChildWindowMinHeightKey[] =
    "tarn-glass-linux-child-window-min-height";
inline constexpr char kNativeChildWindowResizeHandlerKey[] =
    "tarn-glass-linux-native-child-window-resize-handler";
inline constexpr char kNativeChildWindowLastFocusEventTimeKey[] =
    "tarn-glass-linux-native-child-window-last-focus-event-time";

// Flags: set stores 1, clear removes the entry, a reader tests for non-null.
bool window_tag_is_set(gpointer object, const char* key);
void window_tag_set(gpointer object, const char* key);
void window_tag_clear(gpointer object, const char* key);

// Integers: 32 bits widened into the data pointer; an absent entry reads 0.
gint32 window_tag_get_int(gpointer object, const char* key);
void window_tag_set_int(gpointer object, const char* key, gint32 value);
guint32 window_tag_get_uint(gpointer object, const char* key);
void window_tag_set_uint(gpointer object, const char* key, guint32 value);

#endif  // RUNNER_PRESENTATION_WINDOW_TAGS_H_
