// The host's album-art extractor: pictures kept as image files beside a track's file.
#pragma once

#include "host/album_art.h"

namespace minihost {

// Handles every local path. In the file's folder it looks, in order, for
//   front cover:    cover, folder, front
//   back cover:     back
//   artist picture: artist
// each as NAME.jpg, NAME.jpeg, NAME.png (file names in lower case; Windows matches any case), and
// answers with the first that exists and is not empty.
service_ptr make_sidecar_album_art();

}  // namespace minihost
