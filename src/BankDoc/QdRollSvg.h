// QdRollSvg.h -- a roll as an SVG picture (`qdstyle roll`), drawn as its
// layout (QdRollLayout.h) places it.
//
// Made to be checked and searched as text: each note is the one <rect> of
// the document, in the roll's order, with its track (0-7), channel
// (0-based), key, velocity, start and length in ticks as data-track,
// data-channel, data-key, data-velocity, data-start and data-length, and a
// <title> that names them: "Bass: E2 (40), velocity 100, start 1:1:0,
// length 192". Everything else (background, key rows, lanes, grid, legend
// swatches) is drawn with paths, lines and text. The root element carries
// the grid: data-time-signature ("3/4"), data-ticks-per-quarter,
// data-measures, data-length, and data-notes.
#pragma once

#include "BankDoc/QdRollLayout.h"

#include <string>

// QdRollSvg -- the document, UTF-8; rkstrTitle (UTF-8) is its title line
// and <title>.
std::string QdRollSvg(const CQdRollLayout& rkoLayout, const std::string& rkstrTitle);
