// The application object in this process.
#include "widgets/Application.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

// The thread that creates the application is the window thread; the shell's
// icon calls there need a single-threaded COM apartment.
TEST(Application, PutsItsThreadInASingleThreadedApartment) {
    widgets::Application::Instance();
    APTTYPE type{};
    APTTYPEQUALIFIER qualifier{};
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_TRUE(type == APTTYPE_MAINSTA || type == APTTYPE_STA) << type;
}
