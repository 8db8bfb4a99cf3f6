#pragma once

/// Lets screen readers see the response graph's band handles: the graph's accessible object has
/// one child per handle, named as the band is described ("Band 3, bell, 1000 Hz, +4.0 dB,
/// Q 1.2"), focused when it is the selected handle of the focused graph. Installed once; later
/// calls do nothing.
void InstallGraphAccessible();
