// The program's five fingerprint plugins, registered in its order.
#pragma once

// Chooses the kernels for this processor, then registers CRC-32, MD5, SHA-1, SHA-2 and SHA-3, in that
// order. Once at start; a second call registers nothing more.
void registerAllPlugins();
