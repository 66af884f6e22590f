#pragma once

namespace mdlDialogs {
// Installs the real widget implementation of the modal seam (message boxes, desktop services).
void InstallWidgetSeam();
}  // namespace mdlDialogs
