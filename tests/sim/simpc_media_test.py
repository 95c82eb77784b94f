#!/usr/bin/env python3
"""The simpc command's media kinds, faults and burner state, on the Linux side."""
import os
import subprocess
import sys
import tempfile
import unittest

SIMPC = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'sim', 'simpc')


def simpc(*args, ok=True):
    run = subprocess.run([sys.executable, SIMPC] + list(args), capture_output=True, text=True)
    if ok and run.returncode != 0:
        raise AssertionError('simpc %s: %s' % (' '.join(args), run.stderr))
    return run


def load(root):
    import importlib.machinery
    import importlib.util
    loader = importlib.machinery.SourceFileLoader('simpc_module', SIMPC)
    spec = importlib.util.spec_from_loader('simpc_module', loader)
    module = importlib.util.module_from_spec(spec)
    loader.exec_module(module)
    with open(os.path.join(root, 'pc.ini'), encoding='utf-8') as f:
        return module.Pc.parse(f.read()), module


class MediaKinds(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.temp.name, 'pc')
        simpc('layout', 'pe-user-discs', self.root)

    def tearDown(self):
        self.temp.cleanup()

    def test_insert_and_queue_make_discs_of_each_kind(self):
        cases = [('blank-cdr', '2', '1', '359844'), ('blank-dvdr', '128', '1', '2298496'),
                 ('blank-dvdplusr', '256', '1', '2295104'), ('blank-dvdrw', '512', '1', '2298496'),
                 ('blank-dvdplusrw', '1024', '1', '2295104'), ('blank-dvdplusrdl', '4096', '1', '4173824'),
                 ('blank-dvdr:2097151', '128', '1', '2097151'), ('used-dvdr', '128', '0', '2298496')]
        for kind, media, blank, capacity in cases:
            with self.subTest(kind=kind):
                simpc('insert', self.root, 'E', kind)
                pc, _ = load(self.root)
                ident = pc.optical('E')['disc']
                disc = pc.discs[ident]
                self.assertEqual((media, blank, capacity), (disc['media'], disc['blank'], disc['capacity']))
                self.assertTrue(os.path.isdir(os.path.join(self.root, 'drives', 'E')))
        self.assertTrue(os.path.exists(os.path.join(self.root, 'drives', 'E', 'README.TXT')), 'a used disc has files')
        simpc('queue', self.root, 'E', 'blank-dvdr', 'blank-dvdr', 'ucrd2')
        pc, _ = load(self.root)
        queue = pc.optical('E')['queue'].split()
        self.assertEqual(3, len(queue))
        self.assertEqual('ucrd2', queue[2])
        self.assertEqual({'1'}, {pc.discs[i]['blank'] for i in queue[:2]})

    def test_bad_kinds_and_faults_are_refused(self):
        self.assertNotEqual(0, simpc('insert', self.root, 'E', 'blank-bluray', ok=False).returncode)
        self.assertNotEqual(0, simpc('insert', self.root, 'E', 'blank-dvdr:-5', ok=False).returncode)
        self.assertNotEqual(0, simpc('fault', self.root, 'E', 'melt', ok=False).returncode)
        simpc('fault', self.root, 'E', 'unplug-at:40')
        pc, _ = load(self.root)
        self.assertEqual('unplug-at:40', pc.optical('E')['fault'])
        simpc('fault', self.root, 'E', 'none')
        pc, _ = load(self.root)
        self.assertEqual('', pc.optical('E')['fault'])

    def test_a_running_burn_keeps_the_tray_shut(self):
        pc, _ = load(self.root)
        pc.optical('E')['burn'] = 'writing 40 pid 12'
        with open(os.path.join(self.root, 'pc.ini'), 'w', encoding='utf-8') as f:
            f.write(pc.format())
        self.assertNotEqual(0, simpc('eject', self.root, 'E', ok=False).returncode)
        self.assertNotEqual(0, simpc('insert', self.root, 'E', 'blank-dvdr', ok=False).returncode)
        dump = simpc('dump', self.root).stdout
        self.assertIn('# burners', dump)
        self.assertIn('burn writing 40 pid 12', dump)
        simpc('eject', self.root, 'E', '--force')
        pc, _ = load(self.root)
        self.assertEqual('ucrd2', pc.optical('E')['disc'])


if __name__ == '__main__':
    unittest.main()
