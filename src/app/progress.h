// The progress line of a long run: one line on standard error that rewrites
// itself, shown only when standard error is a terminal so that logs stay clean.
#pragma once

// Shows the line from now on when standard error is a terminal; total is the
// number of frames to render, 0 when unknown. Lines printed on std::cout from
// then on first clear it.
void startProgress(int total);

// At most ten updates a second; done counts the frames rendered so far.
void showProgress(int done);

// Takes the line off the terminal until the next update; for output that
// does not go through std::cout.
void clearProgress();

// The last update, ended with a line end; std::cout prints as before.
void endProgress(int done);
