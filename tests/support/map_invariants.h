// What must hold for every loaded map, whatever the file said and wherever a
// load stopped: the model's cross-references agree with one another, and every
// image and object number it records is one the host holds. The load helpers
// run it after every load, so each test that loads a map checks it for free
// and asserts only what its own case is about.
#pragma once

// Adds a test failure for every broken rule, naming the map and the record.
void ExpectLoadedMapsConsistent();
