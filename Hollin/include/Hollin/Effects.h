#pragma once
// What a preview's device family can say of its picture adjustments and sound beyond the
// preview interface: the scale of brightness, contrast, saturation and hue, whether it has a
// hue at all, and the volume the live sound plays at.
#include "Hollin/Interfaces.h"

struct DevVideoEffectCaps {
  int minimum = 1;
  int maximum = 10;
  int hasHue = 1;
};

// 1 with the family's scale; 0 (caps untouched) for a preview of no known family.
int DevPreviewGetEffectCaps(IDevPreview* preview, DevVideoEffectCaps* caps);
// 1 with the volume (0..0xFFFF) of the preview's live sound; 0 when it cannot tell (no
// stream yet, or a preview of no known family).
int DevPreviewGetVolume(IDevPreview* preview, int* volume);
