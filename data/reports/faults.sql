-- Fault codes of the KX720 and what the service engineer does about them.
-- The build turns this text into faults.db, which the commissioning report
-- reads with its TABLE tag. "bit" is the flag number in the current (2) and
-- previous (26) fault words.
CREATE TABLE faults (
    bit INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    cause TEXT NOT NULL,
    remedy TEXT NOT NULL
);

INSERT INTO faults VALUES
(0, 'Over voltage', 'The DC bus rose above the brake level while the motor was braking.',
    'Lengthen the deceleration time (17) or fit a brake resistor; check the mains voltage.'),
(1, 'Under voltage', 'The DC bus fell below 0.75 of the peak of the main voltage (4).',
    'Check the supply and its fuses; check that parameter 4 matches the mains.'),
(2, 'Drive over heating', 'The heat sink of the drive is too hot.',
    'Clean the fan and the air path; lower the PWM frequency (19) or the load.'),
(3, 'Motor over heating', 'The motor''s thermal sensor tripped.',
    'Let the motor cool; check its fan and that the V/F curve does not over-excite it at low speed.'),
(4, 'Power failure', 'The power stage reported a failure.',
    'Switch the drive off, check the motor cable for short circuits and earth faults, then restart.'),
(5, 'Over current', 'The phase current stayed above the maximum current (6) longer than parameter 7.',
    'Lengthen the acceleration time (16), lower the boost voltage (9) or check the load.'),
(6, 'Power IxT', 'The drive carried more than its rating for too long.',
    'Reduce the load or use a larger drive size.'),
(7, 'Motor IIxT', 'The motor''s thermal image exceeded its nominal current (5).',
    'Check the nominal current on the motor plate and the load cycle.'),
(8, 'Invalid parameters', 'A start was refused because the parameters contradict each other.',
    'Check the V/F corners (8 to 12) and the frequency limits (13, 14) against the drive size.'),
(9, 'Offset limit', 'The current measurement offset is out of range.',
    'Switch the drive off and on with the motor stopped; if it stays, the drive needs service.'),
(10, 'EEPROM Error', 'The stored parameters could not be read or written.',
    'Save the parameters again; if it stays, the drive needs service.'),
(11, 'EEPROM default', 'The stored parameters were lost and set to their defaults.',
    'Import the drive''s configuration file and save it to the EEPROM.'),
(12, 'Communication Lost', 'Commands come from Modbus and no keep-alive write came for 5 s while running.',
    'Check the cable and the master; switch on "Comm. Keep Alive" in the terminal.');
