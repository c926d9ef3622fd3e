// stb_image's implementation, alone in its file so that sanitizer builds can
// leave it out of the undefined-behaviour checks: its PNM header parser lets a
// long number overflow an int, which the size check after it then refuses.
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>
