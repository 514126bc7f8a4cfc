// The method codecs. Calls never leave the process as bytes here, so the
// codecs carry no encoding; they exist so that channels are built as with
// the real embedder.
#include <flutter_linux/flutter_linux.h>

G_DEFINE_ABSTRACT_TYPE(FlMethodCodec, fl_method_codec, G_TYPE_OBJECT)

static void fl_method_codec_class_init(FlMethodCodecClass* /* klass */) {}

static void fl_method_codec_init(FlMethodCodec* /* self */) {}

struct _FlStandardMethodCodec {
  FlMethodCodec parent_instance;
};

G_DEFINE_TYPE(FlStandardMethodCodec,
              fl_standard_method_codec,
              fl_method_codec_get_type())

static void fl_standard_method_codec_class_init(
    FlStandardMethodCodecClass* /* klass */) {}

static void fl_standard_method_codec_init(FlStandardMethodCodec* /* self */) {}

FlStandardMethodCodec* fl_standard_method_codec_new() {
  return FL_STANDARD_METHOD_CODEC(
      g_object_new(fl_standard_method_codec_get_type(), nullptr));
}
