#include "frontend/ErrorText.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorText, FullStopOnlyAfterCharactersAboveIt) {
    EXPECT_EQ(frontend::errorText("Kan ikke åpne «/a.xlsx»: filen finnes ikke"),
              "Kan ikke åpne «/a.xlsx»: filen finnes ikke.");
    EXPECT_EQ(frontend::errorText("Ferdig."), "Ferdig.");
    EXPECT_EQ(frontend::errorText("Stopp!"), "Stopp!"); // '!' is below '.'
    EXPECT_EQ(frontend::errorText("Feil (kode 5)"), "Feil (kode 5)");
    EXPECT_EQ(frontend::errorText("Feil "), "Feil ");
    EXPECT_EQ(frontend::errorText("Kan ikke åpne «a»"), "Kan ikke åpne «a».");
    EXPECT_EQ(frontend::errorText("sti/"), "sti/."); // '/' is the code right after '.'
    EXPECT_EQ(frontend::errorText(""), "");
}

TEST(ErrorText, LineIsCaptionedAndUnbroken) {
    EXPECT_EQ(frontend::errorLine("Kan ikke åpne «a»"), "Tulverkan: Kan ikke åpne «a».");
    EXPECT_EQ(frontend::errorLine("Linje 1\nlinje 2/"), "Tulverkan: Linje 1 linje 2/.");
    EXPECT_EQ(frontend::errorLine("Linje 1\r\n"), "Tulverkan: Linje 1  ");
}

} // namespace
