import unittest

from desktop import KwinDesktop, wait_until  # the end-to-end tests' harness, on PYTHONPATH
from recorders import TypeDriver as Driver, WevRecorder, as_seen
from test_portal import type_while_minimised


class KdePlasma(unittest.TestCase):
    """Headless KWin with KDE's own portal: every key arrives as itself in the layout in use, or is named."""

    def test_every_key_arrives_as_itself_or_is_named_in_each_layout(self):
        d = KwinDesktop("us")
        self.addCleanup(d.close)
        (wev := WevRecorder(d)).wait_focus()
        # (layouts, typed: Shift, AltGr and both for levels 2 to 4, keys placed unlike us; named, in no layout)
        for layouts, typed, named in [("us", "aZ@{|\\", "Çß£ü"),
                                      ("de", "zZyY£ß€@µ²\\°ı", "Çğ"),
                                      ("tr", "ZYÜÖğĞşıİÇ€£é²", "äæ")]:
            with self.subTest(layouts):
                if layouts != "us":
                    keymaps = wev.keymaps
                    d.reload_config(layouts)
                    wait_until(lambda: wev.quiet(0.05) == "" and wev.keymaps > keymaps, 10, f"{layouts} in use")
                driver = Driver(d)
                self.type_and_check(driver, wev, [*named, *typed, "{ENTER}", "{BACKSPACE}", "{ESC}"], named)
                driver.close()

        with self.subTest("de,tr, tr switched to while typing"):  # KDE's portal would type tr's keys as de's
            keymaps = wev.keymaps
            d.reload_config("de,tr")
            wait_until(lambda: wev.quiet(0.05) == "" and wev.keymaps > keymaps, 10, "de,tr in use")
            driver = Driver(d)
            self.type_and_check(driver, wev, ["z", "y", "ä"], "")
            d.set_layout(1)
            wait_until(lambda: driver.type("ğ") == "typed", 10, "ğ typed once tr is in use")  # named until then
            self.assertEqual(wev.text(1), "ğ")
            self.type_and_check(driver, wev, [*"ZYÜÖzyüöşßÇ", "ä", "§"], "ä§", told="switch to that layout")
            driver.close()

    def type_and_check(self, driver, wev, keys, named, told="add a layout"):
        self.assertEqual(driver.type(*keys), "typed" + (" not:" + "".join(named)) * bool(named))
        arriving = [k for k in keys if k not in named]
        self.assertEqual((wev.text(len(arriving)), wev.quiet(), wev.down), (as_seen(arriving), "", set()),
                         "each key as itself, and nothing else, nothing left down")
        for character in named:
            wait_until(lambda: driver.problems(f"\u201C{character}\u201D") and driver.problems(told), 10,
                       f"{character} named, '{told}', in {driver.told}")

    def test_the_program_minimised_on_xwayland_types_tr_keys_as_themselves_and_names_what_tr_lacks(self):
        d = KwinDesktop("de,tr", xwayland=True)
        self.addCleanup(d.close)
        d.set_layout(1)  # tr, the second
        type_while_minimised(self, d, "ZYÜÆ", "Ö£@Ç", "ZYÜÖ£@Ç", "Æ")  # Æ: de's, not tr's
