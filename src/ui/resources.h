#pragma once
// Registers the compiled-in images (":/image/..."); call once after the
// application object exists. Safe to call more than once.
void InitOrvaneResources();
