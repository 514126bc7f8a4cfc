// Window tags: flags and small integers kept on windows, widgets and screens
// as object data, and the keys they live under.
#ifndef RUNNER_PRESENTATION_WINDOW_TAGS_H_
#define RUNNER_PRESENTATION_WINDOW_TAGS_H_

#include <glib-object.h>

namespace {

constexpr char kWindowPendingActivateAfterInitialFrameKey[] =
    "tarn-glass-linux-window-pending-activate-after-initial-frame";
constexpr char kWindowTransientKeepAboveReleaseScheduledKey[] =
    "tarn-glass-linux-window-transient-keep-above-release-scheduled";
constexpr char kFlutterViewBackgroundStyleInstalledKey[] =
    "tarn-glass-linux-flutter-view-background-style-installed";
constexpr char kFlutterViewBackgroundApplyScheduledKey[] =
    "tarn-glass-linux-flutter-view-background-apply-scheduled";
constexpr char kWindowFirstFrameStabilizerConnectedKey[] =
    "tarn-glass-linux-window-first-frame-stabilizer-connected";
constexpr char kWindowInitialFrameReadyKey[] =
    "tarn-glass-linux-window-initial-frame-ready";
constexpr char kWindowInitialFrameRevealDeferredKey[] =
    "tarn-glass-linux-window-initial-frame-reveal-deferred";
constexpr char kWindowInitialFrameRevealFallbackScheduledKey[] =
    "tarn-glass-linux-window-initial-frame-reveal-fallback-scheduled";
constexpr char kInitialFrameStabilizedKey[] =
    "tarn-glass-linux-initial-frame-stabilized";
constexpr char kChildWindowPreferredWidthKey[] =
    "tarn-glass-linux-child-window-preferred-width";
constexpr char kChildWindowPreferredHeightKey[] =
    "tarn-glass-linux-child-window-preferred-height";
constexpr char kChildWindowMinWidthKey[] =
    "tarn-glass-linux-child-window-min-width";
constexpr char kChildWindowMinHeightKey[] =
    "tarn-glass-linux-child-window-min-height";
constexpr char kNativeChildWindowResizeHandlerKey[] =
    "tarn-glass-linux-native-child-window-resize-handler";
constexpr char kNativeChildWindowLastFocusEventTimeKey[] =
    "tarn-glass-linux-native-child-window-last-focus-event-time";

}  // namespace

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
