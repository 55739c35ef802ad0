// Replaced as soon as the library has real sources.
