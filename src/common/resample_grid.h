#pragma once
// Where the pixels of a resized image lie in the image they were made from.
// The resampler centres its filters by this rule and the calibration file of
// a resized map places its corners by it, so that the calibration of a
// resized map names the positions its pixels really have.
namespace quiltor {

// Length of one side at `percent` percent: round(srcLength / (100 / percent)),
// halves to even.
int ResampledLength(int srcLength, double percent);

// Position, in source pixels, of pixel i of a side of srcCount pixels
// resampled to dstCount: the first pixels of both sides coincide and so do
// the last ones, so one destination pixel spans (srcCount - 1) / (dstCount - 1)
// source pixels. Positions beyond the last pixel (i = dstCount, the far edge
// of the image) continue the same line. Single precision, as the filters are
// centred; a side of one pixel keeps its positions (it is never resampled).
float ResampledSourcePosition(int i, int srcCount, int dstCount);

}  // namespace quiltor
