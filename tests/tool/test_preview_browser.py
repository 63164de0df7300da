#!/usr/bin/env python3
"""The preview page of a real build, opened in headless Chromium through
Selenium and checked through the page itself: no script errors, every page
image loads, search, zoom, the info line on hover and click, identical files
named together, labels that do not fit hidden, and the left-out lists.
Usage: test_preview_browser.py TEXATLAS SCRATCH_DIR
Exits with 77 (skipped) when Chromium, ChromeDriver or Selenium is missing:
scripts/install-deps.sh --browser installs them."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import fresh, main, read, run, sprites, write  # noqa: E402

CHROMIUM, DRIVER = shutil.which("chromium"), shutil.which("chromedriver")
try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
except ImportError:
    webdriver = None

LONG_NAME = "a_texture_name_far_too_long_for_its_sixteen_texel_cell.png"


def make_sources(directory):
    from PIL import Image
    sprites(directory, 12, size=(32, 24))
    for name, colour in (("café.png", (200, 60, 30, 255)), ("火.png", (30, 60, 200, 255))):
        Image.new("RGBA", (48, 40), colour).save(os.path.join(directory, name))
    for i in range(1, 5):  # four identical files: one cell
        Image.new("RGBA", (40, 40), (10, 10, 200, 255)).save(os.path.join(directory, "d%d.png" % i))
    Image.new("RGBA", (16, 16), (250, 250, 0, 255)).save(os.path.join(directory, LONG_NAME))
    Image.new("RGBA", (300, 300), (0, 0, 0, 255)).save(os.path.join(directory, "big.png"))
    good = read(os.path.join(directory, "s000.png"))
    write(os.path.join(directory, "broken.png"), good[:60] + bytes(len(good) - 60))


def chromium():
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1200,900"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(executable_path=DRIVER), options=options)


def script_errors(driver):
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


class PreviewInBrowserTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        work = fresh("browser")
        make_sources(os.path.join(work, "in"))
        code, _, err = run("pack", "in", "-o", "out", "--width", "256", "--height", "256", "--no-fit", "--preview",
                           cwd=work)
        assert code == 0, err
        cls.page = os.path.join(work, "out", "preview", "index.html")
        cls.driver = chromium()
        cls.driver.get("file://" + cls.page)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def info(self):
        return self.driver.find_element(By.ID, "info").text

    def cell(self, names):
        return self.js("return [...document.querySelectorAll('.cell')].find(c => c.dataset.names === arguments[0])",
                       names)

    def search(self, text):
        box = self.driver.find_element(By.ID, "find")
        box.clear()
        box.send_keys(text)

    def test_no_script_errors_and_every_page_image_loads(self):
        self.assertEqual(script_errors(self.driver), [])
        self.js("console.error('a script error')")  # the log would show one
        self.assertTrue(any("a script error" in e for e in script_errors(self.driver)))
        self.assertGreater(self.js("return document.images.length"), 0)
        self.assertTrue(self.js("return [...document.images].every(i => i.complete && i.naturalWidth > 0)"))

    def test_search_finds_by_part_of_a_name_and_says_where(self):
        self.search("caf")
        self.assertEqual(self.driver.find_element(By.ID, "found").text, "1 found")
        self.assertEqual(self.js("return document.querySelectorAll('.cell.hit').length"), 1)
        self.assertRegex(self.info(), r"^café\.png — atlas0\.dds, cell \d+, \d+, 48 x 40$")
        self.search("\u706b")  # 火
        self.assertIn("火.png — atlas", self.info())

    def test_zoom_changes_the_drawn_size(self):
        width = self.js("return document.querySelector('.page img').dataset.w")
        self.driver.find_element(By.ID, "x1").click()
        one = self.js("return document.querySelector('.page img').getBoundingClientRect().width")
        self.driver.find_element(By.ID, "x2").click()
        two = self.js("return document.querySelector('.page img').getBoundingClientRect().width")
        self.assertEqual(one, int(width))
        self.assertEqual(two, 2 * int(width))
        # The cells follow the image.
        cell = self.js("return document.querySelector('.cell').getBoundingClientRect().width")
        self.driver.find_element(By.ID, "x1").click()
        self.assertAlmostEqual(cell, 2 * self.js("return document.querySelector('.cell').getBoundingClientRect().width"),
                               delta=1)
        self.driver.find_element(By.ID, "fit").click()

    def test_hover_and_click_name_the_texture_its_cell_and_page(self):
        ActionChains(self.driver).move_to_element(self.cell("s003.png")).perform()
        self.assertRegex(self.info(), r"^s003\.png — atlas\d\.dds, cell \d+, \d+, 32 x 24$")
        other = self.cell("s007.png")
        other.click()
        self.assertIn("selected", other.get_attribute("class"))
        self.assertTrue(self.info().startswith("s007.png — "))

    def test_identical_files_are_named_together(self):
        names = self.js("return [...document.querySelectorAll('.cell')].map(c => c.dataset.names)"
                        ".filter(n => n.includes('d1.png'))")
        self.assertEqual(len(names), 1)
        self.assertEqual(sorted(names[0].split("\n")), ["d1.png", "d2.png", "d3.png", "d4.png"])
        self.search("d3.png")
        self.assertIn("(4 identical files)", self.info())

    def test_a_label_that_does_not_fit_is_hidden_and_the_name_stays(self):
        self.assertIn("tight", self.cell(LONG_NAME).get_attribute("class"))
        self.assertNotIn("tight", self.cell("café.png").get_attribute("class"))

    def test_left_out_textures_are_listed_with_their_reasons(self):
        text = self.driver.find_element(By.TAG_NAME, "body").text
        self.assertIn("Left out: larger than their pages", text)
        self.assertRegex(text, r"big\.png: 300 x 300")
        self.assertIn("Left out: could not be read", text)
        self.assertIn("broken.png: the image data is truncated or corrupt", text)


if __name__ == "__main__":
    missing = [what for what, there in (("chromium", CHROMIUM), ("chromedriver", DRIVER),
                                        ("python3-selenium", webdriver)) if not there]
    if missing:
        print("skipped: the browser test needs %s (scripts/install-deps.sh --browser installs it)"
              % ", ".join(missing))
        sys.exit(77)
    main()
