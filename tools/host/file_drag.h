// Drags a list of files onto a point of the screen and drops it there, as the shell does:
// OLE's DoDragDrop with a data object offering the paths (CF_HDROP, wide) and a drop source
// that lets go after a few turns of the drag loop. The cursor is put on the point first; no
// mouse button is needed, so the drop lands the same way on every run. Runs on the calling
// thread (the host's GUI thread: the target is called from inside the drag loop).
//
//   FileDrag drag = dragFilesOnto(window.toScreen(120, 30), {"Z:\\music\\song.mp3"});
//   drag.dropped (DoDragDrop answered DRAGDROP_S_DROP), drag.effect (what the target did),
//   drag.feedback (every effect the target showed while the files were over it)
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vintrove::testhost {

struct FileDrag {
  bool dropped = false;
  DWORD effect = 0;
  std::vector<DWORD> feedback;
};

// paths in UTF-8; allowedEffects as DoDragDrop takes them (copy, move and link by default).
FileDrag dragFilesOnto(POINT screen, const std::vector<std::string>& paths,
                       DWORD allowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK);

}  // namespace vintrove::testhost
