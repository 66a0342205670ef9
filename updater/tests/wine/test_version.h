// The version resource of the test program itself: a first translation whose FileVersion text
// is too long for the checker's buffer, and a second one that must never be picked.
#pragma once
#define TEST_FIRST_FILE_VERSION "1, 2, 3, 4 built for the update checker's tests"
#define TEST_SECOND_FILE_VERSION "9, 9, 9, 9"
