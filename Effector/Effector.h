// The effect pipeline: the document's settings turned into one blur run, for
// the preview on the working image or for the full-size render from "org.jpg".
#pragma once

#include "platform/Image.h"

#include <opencv2/core.hpp>

struct AppData;
class EffectorCallback;

// Background fading (when the document has a fading mode) and edge
// feathering (Gaussian, k = trunc(m_edgeFeather x longer side), made odd) of a
// working copy of the depth map, in place. CV_8UC1.
void prepareDepth(const AppData& doc, cv::Mat& depth);

// dst becomes the blurred CV_8UC4 image of targetWidth x targetHeight. The
// preview (fullSize false) blurs the pixels of doc.m_pBitmap; the full-size
// run reads "org.jpg" from the documents folder. Nothing is written when the
// document's blur type is neither lens nor motion.
void applyEffect(cv::Mat& dst, const AppData& doc, const cv::Mat& depth, int focus, int targetWidth,
                 int targetHeight, bool fullSize, EffectorCallback* callback = nullptr);

// Checks the engine's inputs (asserts on an empty or mistyped source or
// depth), resizes the source to size (bilinear; -1 in either keeps it), fits
// the depth to the result (nearest-neighbour) and makes dst a matching
// CV_8UC4 matrix.
void prepareMat(const cv::Mat& src, const cv::Mat& depth, cv::Size size, cv::Mat& resizedSrc,
                cv::Mat& fittedDepth, cv::Mat& dst);

// A copy of an 8-bit one- or four-channel matrix as a platform image.
platform::Image matToImage(const cv::Mat& mat);
